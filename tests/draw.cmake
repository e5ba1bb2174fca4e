# The draw service's answers read, and put into a coupon document.
find_package(nlohmann_json REQUIRED)
spelkub_add_test(draw_test SOURCES draw_test.cpp LIBS spelkub_draw nlohmann_json::nlohmann_json)
# Fetching over HTTP against a local server.
spelkub_add_test(net_test SOURCES net_test.cpp LIBS spelkub_net spelkub_local_server)
