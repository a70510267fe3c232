# The live capture against a plain read loop over the same kind of
# pseudo-terminal, and the capture's CPU use while the port is idle.
harrow_benchmark(serial_bench serial_bench.cc)
target_compile_definitions(serial_bench PRIVATE
  HARROW_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
  HARROW_CAPTURE="$<TARGET_FILE:harrow-capture>"
  READER_SIM="$<TARGET_FILE:reader-sim>")
add_dependencies(serial_bench harrow-capture reader-sim)
