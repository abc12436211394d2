kestrel_add_benchmark(bench_variable_scan
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_variable_scan.cpp
    LIBS kestrel_lib)
kestrel_add_benchmark(bench_language_aids
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_language_aids.cpp
    LIBS kestrel_lib)
