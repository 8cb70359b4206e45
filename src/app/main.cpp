#include <string>
#include <vector>

#include "app/parasim_main.hpp"

int main(int argc, char** argv) {
  return parasim::app::parasim_main(std::vector<std::string>(argv + 1, argv + argc));
}
