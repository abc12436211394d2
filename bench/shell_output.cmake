kestrel_add_benchmark(bench_shell_output SOURCES ${CMAKE_CURRENT_LIST_DIR}/shell_output_bench.cpp LIBS kestrel_lib)
