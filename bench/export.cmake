# The BIFF2 writer against one fwrite of the same bytes, the .xlsx writer against the BIFF2 writer.
harrow_benchmark(export_bench ${CMAKE_CURRENT_LIST_DIR}/export_bench.cc)
