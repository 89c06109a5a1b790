// A private Xvfb for one test program: started with -displayfd so it picks a free display
// itself, and ended by its process id.
#pragma once

#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

class XvfbServer {
 public:
  XvfbServer() {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);
      std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
             static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    char buffer[32] = {};
    size_t used = 0;
    // Xvfb writes the display number and a newline once it accepts connections.
    while (used < sizeof buffer - 1) {
      ssize_t n = read(fds[0], buffer + used, sizeof buffer - 1 - used);
      if (n <= 0) break;
      used += static_cast<size_t>(n);
      if (buffer[used - 1] == '\n') break;
    }
    close(fds[0]);
    if (used > 1 && buffer[used - 1] == '\n') display_ = ":" + std::string(buffer, used - 1);
  }
  ~XvfbServer() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  // ":N", or empty when the server did not start.
  const std::string& display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};
