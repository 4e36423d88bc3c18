# Libraries that must build without Qt (the extraction core, the text
# options under it and the document text model). Their sources get no Qt
# include path, so an #include of Qt fails to compile; this check also stops
# the configuration when Qt turns up anywhere in what they link. It runs once
# the whole project has been read, since links may be added after the library
# is declared.

function(siftwell_require_no_qt target)
  set_property(GLOBAL APPEND PROPERTY SIFTWELL_NO_QT_TARGETS ${target})
endfunction()

# Appends to `found` the first Qt library reached from `item`, with the path
# that leads there.
function(_siftwell_find_qt item path visited_var found_var)
  string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" item "${item}")
  if(path)
    set(path "${path} -> ${item}")
  else()
    set(path "${item}")
  endif()
  if(item MATCHES "^Qt[0-9]*::" OR item MATCHES "(^|/)lib[Qq]t[0-9]")
    set(${found_var} "${path}" PARENT_SCOPE)
    return()
  endif()
  if(NOT TARGET ${item} OR item IN_LIST ${visited_var})
    return()
  endif()
  list(APPEND ${visited_var} ${item})
  set(${visited_var} ${${visited_var}} PARENT_SCOPE)
  get_target_property(imported ${item} IMPORTED)
  set(links)
  if(NOT imported)
    get_target_property(own ${item} LINK_LIBRARIES)
    if(own)
      list(APPEND links ${own})
    endif()
  endif()
  get_target_property(interface ${item} INTERFACE_LINK_LIBRARIES)
  if(interface)
    list(APPEND links ${interface})
  endif()
  foreach(link ${links})
    _siftwell_find_qt(${link} "${path}" ${visited_var} hit)
    set(${visited_var} ${${visited_var}} PARENT_SCOPE)
    if(hit)
      set(${found_var} "${hit}" PARENT_SCOPE)
      return()
    endif()
  endforeach()
endfunction()

function(_siftwell_check_no_qt)
  get_property(targets GLOBAL PROPERTY SIFTWELL_NO_QT_TARGETS)
  foreach(target ${targets})
    set(visited)
    set(hit)
    _siftwell_find_qt(${target} "" visited hit)
    if(hit)
      message(FATAL_ERROR "${target} must build without Qt, but links it: ${hit}")
    endif()
  endforeach()
endfunction()

cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL _siftwell_check_no_qt)
