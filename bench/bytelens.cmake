kestrel_add_benchmark(bench_bytelens SOURCES ${CMAKE_CURRENT_LIST_DIR}/bytelens_bench.cpp LIBS Qt6::Core)
add_dependencies(bench_bytelens bytelens)
