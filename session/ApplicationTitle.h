#pragma once

// Captions the program's message boxes and names the application.
inline constexpr char ApplicationTitle[] = "Corvane Bench";
