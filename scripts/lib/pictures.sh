# The folder of real MSX pictures made by others (never committed): $VRAMORIA_PICTURES, or
# ../shared/pictures beside the repository. Sourced by the scripts and the shell tests; the C++
# tests read the same variable (tests/test_support.cpp).
# Usage: pictures=$(vramoria_pictures REPOSITORY-ROOT)
vramoria_pictures() {
  printf '%s\n' "${VRAMORIA_PICTURES:-$1/../shared/pictures}"
}
