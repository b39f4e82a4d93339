#include "generator/spine.hpp"

int main(int argc, char **argv) { return quorvex::run(argc, argv); }
