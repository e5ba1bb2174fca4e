# Benchmarks of the window: start-up to first paint, and the row list with the
# largest systems, each with the program's own operator new.
spelkub_add_benchmark(startup_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/startup_bench.cpp
  LIBS spelkub_app spelkub_large_allocations)
spelkub_add_benchmark(row_list_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/row_list_bench.cpp
  LIBS spelkub_app spelkub_large_allocations)
spelkub_add_benchmark(generate_command_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/generate_command_bench.cpp LIBS spelkub_app spelkub_large_allocations)
