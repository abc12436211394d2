kestrel_add_benchmark(bench_debug_engine
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_debug_engine.cpp
    LIBS kestrel_lib)
