// vxnav: the command-line program. `vxnav drive` drives a route on a map with
// guidance and rerouting; `vxnav guidance` prints the guidance of a small
// embedded route. See drive/Vxnav.h.
#include "drive/Vxnav.h"

#include <iostream>

int main(int argc, char** argv) { return vxdrive::RunVxnav(argc, argv, std::cout, std::cerr); }
