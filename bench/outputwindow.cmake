kestrel_add_benchmark(bench_outputwindow
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_outputwindow.cpp
    LIBS kestrel_lib Qt6::Test)
