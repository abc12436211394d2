kestrel_add_benchmark(bench_sub_scan
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_sub_scan.cpp
    LIBS kestrel_lib)
