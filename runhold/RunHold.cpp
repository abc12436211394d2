#include "runhold/RunHold.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Waits until the user answers: one character, which at a console means a line ended
// with Enter.
void WaitForKey(std::FILE *in)
{
    std::fgetc(in);
}

} // namespace

std::vector<std::string> SplitOptions(const std::string &options)
{
    std::vector<std::string> args;
    std::string current;
    int nQuotes = 0;
    bool bInQuote = false;
    for (char c : options) {
        if (c == '"') {
            if (++nQuotes == 3) {
                nQuotes = 0;
                current += c;
            }
            continue;
        }
        if (nQuotes) {
            if (nQuotes == 1)
                bInQuote = !bInQuote;
            nQuotes = 0;
        }
        if (!bInQuote && IsBlank(c)) {
            if (!current.empty()) {
                args.push_back(current);
                current.clear();
            }
        } else {
            current += c;
        }
    }
    if (!current.empty())
        args.push_back(current);
    return args;
}

std::vector<std::string> ComposeCommand(const std::string &program, const std::string &options,
                                        const std::string &script)
{
    std::vector<std::string> command{program};
    for (std::string &option : SplitOptions(options))
        command.push_back(std::move(option));
    command.push_back(script);
    return command;
}

int RunCommand(const std::vector<std::string> &command, std::FILE *err)
{
    if (command.empty() || command[0].empty()) {
        std::fprintf(err, "runhold: no program to run\n");
        return -1;
    }
    std::vector<char *> argv;
    for (const std::string &arg : command)
        argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);

    std::fflush(nullptr);
    // The child reports a failed exec through this pipe, which closes on a successful one.
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        std::fprintf(err, "runhold: cannot run %s: %s\n", command[0].c_str(), std::strerror(errno));
        return -1;
    }
    pid_t pid = fork();
    if (pid < 0) {
        int e = errno;
        close(fds[0]);
        close(fds[1]);
        std::fprintf(err, "runhold: cannot run %s: %s\n", command[0].c_str(), std::strerror(e));
        return -1;
    }
    if (pid == 0) {
        close(fds[0]);
        execvp(argv[0], argv.data());
        int e = errno;
        ssize_t ignored = write(fds[1], &e, sizeof e);
        (void)ignored;
        _exit(127);
    }
    close(fds[1]);
    int execError = 0;
    ssize_t n;
    do {
        n = read(fds[0], &execError, sizeof execError);
    } while (n < 0 && errno == EINTR);
    close(fds[0]);

    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (n == sizeof execError) {
        std::fprintf(err, "runhold: cannot run %s: %s\n", command[0].c_str(), std::strerror(execError));
        return -1;
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return 128 + WTERMSIG(status);
}

int RunHoldMain(int argc, char **argv, std::FILE *in, std::FILE *out, std::FILE *err)
{
    if (argc != 5) {
        std::fputs("Please press a key to continue\n", out);
        std::fflush(out);
        WaitForKey(in);
        return 1;
    }
    // Argument 1 is the IDE's marker; it is accepted whatever it says.
    const std::string strMarker = argv[1];
    (void)strMarker;

    RunCommand(ComposeCommand(argv[2], argv[3], argv[4]), err);

    std::fputs("Perl script execution completed.\n", out);
    std::fflush(out);
    WaitForKey(in);
    return 0;
}
