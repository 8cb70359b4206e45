#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "app/parasim_main.hpp"

namespace {

// A program started with standard input, output or error closed would hand that
// descriptor to the next file it opens: Output.dat could then receive the progress
// line or the error report. Such a descriptor is opened on /dev/null instead.
void keep_standard_descriptors_taken() {
  for (int descriptor = 0; descriptor <= 2; ++descriptor) {
    if (fcntl(descriptor, F_GETFD) == -1 && errno == EBADF) {
      const int opened = open("/dev/null", O_RDWR);
      if (opened >= 0 && opened != descriptor) {
        dup2(opened, descriptor);
        close(opened);
      }
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  keep_standard_descriptors_taken();
  return parasim::app::parasim_main(std::vector<std::string>(argv + 1, argv + argc));
}
