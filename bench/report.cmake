# Report recognition: transcript replay throughput and end-of-report latency.
harrow_benchmark(report_bench ${CMAKE_CURRENT_SOURCE_DIR}/report_bench.cc)
target_compile_definitions(report_bench PRIVATE HARROW_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
