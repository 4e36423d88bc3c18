# The command-line extractor against hostile files, outputs and settings.
add_test(NAME hostile_cli
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/hostile_cli.sh $<TARGET_FILE:siftwell-extract>)
set_tests_properties(hostile_cli PROPERTIES
  ENVIRONMENT "XDG_CONFIG_HOME=${CMAKE_CURRENT_BINARY_DIR}/xdg/hostile_cli"
  TIMEOUT 900)
