kestrel_add_benchmark(bench_bytelens_dialog SOURCES ${CMAKE_CURRENT_LIST_DIR}/bytelens_dialog_bench.cpp
                      LIBS bytelens_lib)
