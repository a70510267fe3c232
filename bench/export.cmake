# The BIFF2 writer against one fwrite of the same bytes and against libxlsxwriter.
harrow_benchmark(export_bench ${CMAKE_CURRENT_LIST_DIR}/export_bench.cc)
