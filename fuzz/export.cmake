# Arbitrary sequences of worksheet operations, written as BIFF2, CSV and .xlsx.
find_package(ZLIB REQUIRED)
target_compile_options(harrow_export PRIVATE -fsanitize=fuzzer-no-link)
harrow_fuzzer(export_fuzzer ${CMAKE_CURRENT_SOURCE_DIR}/export_fuzzer.cc)
target_link_libraries(export_fuzzer PRIVATE ZLIB::ZLIB)
