# The X11 primary selection and drags of text exist only under an X server:
# the view's part of them (selecting sets the primary selection, a middle
# click pastes it, a selection dragged with the pointer moves) under Xvfb,
# and the editing keys as the X server delivers them.
add_test(NAME test_textview_x11
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/with-xvfb.sh $<TARGET_FILE:test_textview>
          primarySelectionUnderX dragMovesTextUnderX keysUnderX)
set_tests_properties(test_textview_x11 PROPERTIES
  ENVIRONMENT "SIFTWELL_REQUIRE_PRIMARY=1;XDG_CONFIG_HOME=${CMAKE_CURRENT_BINARY_DIR}/xdg/test_textview_x11;QT_LOGGING_RULES=qt.qpa.*=false"
  TIMEOUT 300)
