#include "ModuleLoader.h"

#include <dlfcn.h>
#include <string>
#include <unistd.h>

namespace {

// The program's own folder, from the kernel: the window's module is loaded
// before any application object exists to ask.
std::string programFolder()
{
    char path[4096];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return {}; // no folder: nothing is loaded from wherever the user stands
    const std::string program(path, static_cast<std::size_t>(length));
    return program.substr(0, program.rfind('/'));
}

} // namespace

QFunctionPointer resolveInModule(const char* module, const char* symbol, QString* error)
{
    // Beside the program in the build tree, under the library folder once
    // installed; both relative to the program, whatever the prefix. dlopen
    // itself rather than QLibrary: the window's start waits for this.
    const std::string programs = programFolder();
    if (programs.empty()) {
        *error = QStringLiteral("the program's own folder cannot be read from /proc/self/exe");
        return nullptr;
    }
    QStringList tried;
    for (const char* folder : {CORVANE_MODULE_BUILD_DIR, CORVANE_MODULE_INSTALL_DIR}) {
        const std::string path = programs + "/" + folder + "/" + module + ".so";
        // Kept loaded for the run, as the program's own code is.
        if (void* library = ::dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL)) {
            if (void* found = ::dlsym(library, symbol))
                return reinterpret_cast<QFunctionPointer>(found);
        }
        tried << QString::fromLocal8Bit(::dlerror());
    }
    *error = tried.join(QLatin1Char('\n'));
    return nullptr;
}
