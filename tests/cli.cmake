# The command-line extractor, run as a user runs it, each script with a
# settings folder of its own. A script exits 77 when the machine lacks what
# it needs (GNU strings, real binaries).
foreach(script cli_strings cli_options cli_encodings cli_files)
  add_test(NAME ${script}
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/${script}.sh $<TARGET_FILE:siftwell-extract>)
  set_tests_properties(${script} PROPERTIES
    ENVIRONMENT "XDG_CONFIG_HOME=${CMAKE_CURRENT_BINARY_DIR}/xdg/${script}"
    SKIP_RETURN_CODE 77
    TIMEOUT 600)
endforeach()
