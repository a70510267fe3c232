# Byte streams through the receive path and the report collector. The
# libraries on that path get coverage instrumentation in this build.
foreach(lib harrow_report harrow_capture_core)
  target_compile_options(${lib} PRIVATE -fsanitize=fuzzer-no-link)
endforeach()
harrow_fuzzer(report_fuzzer ${CMAKE_CURRENT_SOURCE_DIR}/report_fuzzer.cc)
