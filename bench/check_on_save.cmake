kestrel_add_benchmark(bench_check_on_save
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_check_on_save.cpp
    LIBS kestrel_lib)
