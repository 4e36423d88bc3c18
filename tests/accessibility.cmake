# What a screen reader gets, through AT-SPI on a D-Bus session of its own
# under Xvfb (tests/with-atspi.sh): the editor's change notices, which flow
# only where assistive technology listens, and the program itself read and
# edited by a real client (tests/atspi.sh, pyatspi). Both skip where the
# accessibility bus or pyatspi is missing.
add_test(NAME test_accessibility_atspi
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/with-atspi.sh $<TARGET_FILE:test_accessibility>
          changesAreNoticed largeTextChangesAreToldShort)
set_tests_properties(test_accessibility_atspi PROPERTIES
  SKIP_RETURN_CODE 77
  ENVIRONMENT "SIFTWELL_REQUIRE_ACCESSIBILITY=1;XDG_CONFIG_HOME=${CMAKE_CURRENT_BINARY_DIR}/xdg/test_accessibility_atspi;QT_LOGGING_RULES=qt.qpa.*=false"
  TIMEOUT 600)

add_test(NAME atspi COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/atspi.sh ${CMAKE_BINARY_DIR})
set_tests_properties(atspi PROPERTIES
  SKIP_RETURN_CODE 77
  TIMEOUT 300
  ENVIRONMENT "QT_LOGGING_RULES=qt.qpa.*=false")
