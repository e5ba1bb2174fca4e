# Whole-process timing of spelkub_rader: `cmake --build . --target cli_bench`.
add_custom_target(cli_bench
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/cli_bench.sh $<TARGET_FILE:spelkub_rader>
  DEPENDS spelkub_rader
  USES_TERMINAL)
