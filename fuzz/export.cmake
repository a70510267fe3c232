# Arbitrary sequences of worksheet operations, written as BIFF2 and CSV.
target_compile_options(harrow_export PRIVATE -fsanitize=fuzzer-no-link)
harrow_fuzzer(export_fuzzer ${CMAKE_CURRENT_SOURCE_DIR}/export_fuzzer.cc)
