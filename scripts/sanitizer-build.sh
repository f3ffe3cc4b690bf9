# Sourced by the scripts that use the Clang build with ASan, UBSan and the
# fuzz targets: the tests, the fuzzers, clang-tidy.

# Configures build-san/ once, when it is not yet; on failure shows the end
# of the log (build-san/configure.log) and returns 1.
configure_sanitizer_build() {
  [ ! -f build-san/build.ninja ] || return 0
  mkdir -p build-san
  CC=clang CXX=clang++ cmake -S . -B build-san -G Ninja \
    -DZORVIK_SANITIZE=ON -DZORVIK_BENCH=OFF -DZORVIK_FUZZ=ON >build-san/configure.log 2>&1 ||
    { tail -n 30 build-san/configure.log >&2; return 1; }
}
