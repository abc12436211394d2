kestrel_add_benchmark(bench_shell_output SOURCES ${CMAKE_CURRENT_LIST_DIR}/shell_output_bench.cpp LIBS kestrel_lib)
target_compile_definitions(bench_shell_output PRIVATE KESTREL_FIXTURES_DIR="${CMAKE_SOURCE_DIR}/tests/fixtures")
