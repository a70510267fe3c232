# Byte streams through the receive path and the report collector.
harrow_fuzzer(report_fuzzer ${CMAKE_CURRENT_SOURCE_DIR}/report_fuzzer.cc)
