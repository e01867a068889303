/* The steady clock's milliseconds, as the programs' fault plans count them:
 * for a soak to line its observations up with the plan's spans. */
#include <stdio.h>
#include <time.h>

int main(void)
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    printf("%lld\n", (long long)now.tv_sec * 1000 + now.tv_nsec / 1000000);
    return 0;
}
