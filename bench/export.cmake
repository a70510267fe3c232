# The BIFF2 writer against one fwrite of the same bytes, the .xlsx writer against
# the BIFF2 writer, and the two exports, synced and committed, against each other.
harrow_benchmark(export_bench ${CMAKE_CURRENT_LIST_DIR}/export_bench.cc)
