# The embedded picture and icon, and the libjpeg decoder.
spelkub_add_test(picture_test QT SOURCES picture_test.cpp LIBS spelkub_assets)
target_compile_definitions(picture_test PRIVATE
  SPELKUB_TEST_DATA="${CMAKE_CURRENT_LIST_DIR}/data"
  SPELKUB_ASSETS_DIR="${PROJECT_SOURCE_DIR}/assets")
