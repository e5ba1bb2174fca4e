# spelkub_rader: run end to end through the built executable.
spelkub_add_test(cli_test SOURCES cli_test.cpp LIBS spelkub_cli spelkub_engine spelkub_test_support)
target_compile_definitions(cli_test PRIVATE SPELKUB_RADER_PATH="$<TARGET_FILE:spelkub_rader>")
add_dependencies(cli_test spelkub_rader)
# spelkub_rader in-process against a user's mistakes: refusals, exit codes, nothing written.
spelkub_add_test(companion_refusals_test SOURCES companion_refusals_test.cpp LIBS spelkub_cli spelkub_engine)
spelkub_add_test(topptipset_cli_test SOURCES topptipset_cli_test.cpp LIBS spelkub_cli)
