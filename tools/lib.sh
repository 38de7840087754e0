# Shared by the screenshot scripts; sourced, not run. Call from the repository root.

# build_target BUILD_DIR TARGET: configures BUILD_DIR (tests on, for the screenshot programs)
# unless it exists already, then builds TARGET there. An existing build directory keeps its
# own settings.
build_target() {
  local build="$1" target="$2"
  if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVIK_BUILD_TESTS=ON > /dev/null
  fi
  cmake --build "$build" --target "$target" -j"$(nproc)"
}
