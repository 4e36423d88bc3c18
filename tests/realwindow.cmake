# The installed program in a real X window under Xvfb, closed from the
# keyboard (tests/realwindow.sh).
add_test(NAME realwindow COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/realwindow.sh ${CMAKE_BINARY_DIR})
set_tests_properties(realwindow PROPERTIES
  SKIP_RETURN_CODE 77
  TIMEOUT 300
  ENVIRONMENT "QT_LOGGING_RULES=qt.qpa.*=false")

# The program under a file size limit says the disk is full and goes on
# (tests/fsizelimit.sh).
add_test(NAME fsizelimit COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/fsizelimit.sh ${CMAKE_BINARY_DIR})
set_tests_properties(fsizelimit PROPERTIES
  SKIP_RETURN_CODE 77
  TIMEOUT 120
  ENVIRONMENT "QT_LOGGING_RULES=qt.qpa.*=false")
