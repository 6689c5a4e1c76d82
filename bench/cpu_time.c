/* Runs a command RUNS times, one after the other, and prints two numbers:
 * the median processor time of one run (user + system, from wait4, in
 * milliseconds) and the largest peak resident memory of any run (KiB).
 *
 *   cpu_time RUNS COMMAND [ARGUMENT...]
 *
 * Wall time would count whatever else the machine is doing; processor time
 * counts only the command's own work, start-up included. The command's
 * standard output goes to /dev/null; a run that fails stops the measurement
 * with status 1, so a figure never stands for a command that did not work.
 * Built by the benchmark script with the system's C compiler. */

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

static int byValue(const void* a, const void* b)
{
    const double x = *(const double*)a;
    const double y = *(const double*)b;
    return (x > y) - (x < y);
}

static double milliseconds(struct timeval time)
{
    return (double)time.tv_sec * 1e3 + (double)time.tv_usec / 1e3;
}

int main(int argc, char** argv)
{
    const int runs = argc >= 3 ? atoi(argv[1]) : 0;
    if (runs < 1) {
        fprintf(stderr, "usage: cpu_time RUNS COMMAND [ARGUMENT...]\n");
        return 2;
    }
    double* times = malloc(sizeof *times * (size_t)runs);
    long peakKiB = 0;
    if (times == NULL)
        return 1;
    for (int run = 0; run < runs; ++run) {
        const pid_t child = fork();
        if (child < 0) {
            perror("cpu_time: fork");
            return 1;
        }
        if (child == 0) {
            const int nowhere = open("/dev/null", O_WRONLY);
            if (nowhere >= 0)
                dup2(nowhere, STDOUT_FILENO);
            execvp(argv[2], argv + 2);
            perror(argv[2]);
            _exit(127);
        }
        int status = 0;
        struct rusage usage;
        if (wait4(child, &status, 0, &usage) < 0) {
            perror("cpu_time: wait4");
            return 1;
        }
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            fprintf(stderr, "cpu_time: %s failed\n", argv[2]);
            return 1;
        }
        times[run] = milliseconds(usage.ru_utime) + milliseconds(usage.ru_stime);
        if (usage.ru_maxrss > peakKiB)
            peakKiB = usage.ru_maxrss;
    }
    qsort(times, (size_t)runs, sizeof *times, byValue);
    const double median =
        runs % 2 == 1 ? times[runs / 2] : (times[runs / 2 - 1] + times[runs / 2]) / 2;
    printf("%.1f %ld\n", median, peakKiB);
    free(times);
    return 0;
}
