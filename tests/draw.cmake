# The draw service's answers read, and put into a coupon document.
find_package(nlohmann_json REQUIRED)
spelkub_add_test(draw_test SOURCES draw_test.cpp LIBS spelkub_draw nlohmann_json::nlohmann_json)
# Fetching over HTTP against a local server.
spelkub_add_test(net_test SOURCES net_test.cpp LIBS spelkub_net spelkub_local_server)
# spelkub_rader --fetch and --fetch-result against the local server.
spelkub_add_test(fetch_cli_test SOURCES fetch_cli_test.cpp
                 LIBS spelkub_cli spelkub_net spelkub_local_server nlohmann_json::nlohmann_json)
# "Hämta omgång..." and "Uppdatera streck" offscreen against the local server.
if(NOT SPELKUB_ENGINE_ONLY)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  spelkub_add_test(tools_fetch_test QT SOURCES tools_fetch_test.cpp
                   LIBS spelkub_tools spelkub_cli spelkub_local_server Qt6::Test)
  # "Följ kupongen..." with "Hämta resultat" against the local server.
  spelkub_add_test(tools_follow_fetch_test QT SOURCES tools_follow_fetch_test.cpp
                   LIBS spelkub_tools spelkub_local_server nlohmann_json::nlohmann_json Qt6::Test)
  # "Rätta rader" with "Hämta resultat" against the local server.
  spelkub_add_test(tools_grade_fetch_test QT SOURCES tools_grade_fetch_test.cpp
                   LIBS spelkub_tools spelkub_local_server nlohmann_json::nlohmann_json Qt6::Test)
  # "Rätta spelad omgång..." with "Hämta resultat" against the local server.
  spelkub_add_test(tools_settle_fetch_test QT SOURCES tools_settle_fetch_test.cpp
                   LIBS spelkub_tools spelkub_local_server nlohmann_json::nlohmann_json Qt6::Test)
endif()
# Fetched results in --settle, --grade and --follow against the local server.
spelkub_add_test(fetched_result_cli_test SOURCES fetched_result_cli_test.cpp
                 LIBS spelkub_cli spelkub_net spelkub_local_server nlohmann_json::nlohmann_json)
