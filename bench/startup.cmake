kestrel_add_benchmark(bench_startup SOURCES bench_startup.cpp LIBS Qt6::Core)
# The baseline program sits apart, so that `make bench` doesn't run it on its own.
add_executable(bare_window EXCLUDE_FROM_ALL bare_window.cpp)
target_link_libraries(bare_window PRIVATE Qt6::Widgets)
set_target_properties(bare_window PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench/helpers)
add_dependencies(bench_startup bare_window kestrel)
kestrel_add_benchmark(bench_open_large SOURCES bench_open_large.cpp LIBS kestrel_lib Qt6::Test)
