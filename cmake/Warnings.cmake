# Our own code builds clean with these; Qt and GoogleTest come in as system includes.
function(ambrel_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion)
endfunction()

# Core libraries must never pull in the widget or GUI layers, neither directly nor through
# another library they link (a core library linking the UI library would bring QtWidgets
# with it). The closure is walked once every target of the project exists, at the end of
# the top-level directory, so a link added after ambrel_core_library() is seen too.
set(AMBREL_FORBIDDEN_IN_CORE "^(Qt6?::(Widgets|Gui|PrintSupport|OpenGL|OpenGLWidgets)|Qt6?(Widgets|Gui|PrintSupport))$")

function(ambrel_core_library target)
  ambrel_warnings(${target})
  set_property(GLOBAL APPEND PROPERTY AMBREL_CORE_LIBRARIES ${target})
endfunction()

# The libraries an item of a link list names: generator expressions such as
# $<LINK_ONLY:x> or $<$<CONFIG:Debug>:x> are looked through to the names inside.
function(_ambrel_link_items out)
  set(_items)
  foreach(_entry IN LISTS ARGN)
    string(REGEX REPLACE "\\$<[A-Za-z_]+:" ";" _entry "${_entry}")
    string(REGEX REPLACE "[<>$]" ";" _entry "${_entry}")
    foreach(_name IN LISTS _entry)
      if(_name AND NOT _name MATCHES "^(LINK_ONLY|CONFIG|BUILD_INTERFACE|INSTALL_INTERFACE|TARGET_NAME|0|1|,)$"
         AND NOT _name MATCHES "^-")
        list(APPEND _items "${_name}")
      endif()
    endforeach()
  endforeach()
  set(${out} "${_items}" PARENT_SCOPE)
endfunction()

# Fails the configuration when `target` reaches a forbidden library; `chain` is the path
# that led here, for the message.
function(_ambrel_check_closure root target chain)
  get_property(_seen GLOBAL PROPERTY _AMBREL_SEEN_${root})
  if(target IN_LIST _seen)
    return()
  endif()
  set_property(GLOBAL APPEND PROPERTY _AMBREL_SEEN_${root} ${target})
  set(_links)
  get_target_property(_type ${target} TYPE)
  if(NOT _type STREQUAL "INTERFACE_LIBRARY" OR CMAKE_VERSION VERSION_GREATER_EQUAL 3.19)
    get_target_property(_direct ${target} LINK_LIBRARIES)
    if(_direct)
      list(APPEND _links ${_direct})
    endif()
  endif()
  get_target_property(_interface ${target} INTERFACE_LINK_LIBRARIES)
  if(_interface)
    list(APPEND _links ${_interface})
  endif()
  _ambrel_link_items(_names ${_links})
  foreach(_name IN LISTS _names)
    if(_name MATCHES "${AMBREL_FORBIDDEN_IN_CORE}")
      message(FATAL_ERROR "${root} is a core library and must not link ${_name} (${chain} -> ${_name})")
    endif()
    if(TARGET ${_name})
      get_target_property(_aliased ${_name} ALIASED_TARGET)
      if(_aliased)
        if(_aliased MATCHES "${AMBREL_FORBIDDEN_IN_CORE}")
          message(FATAL_ERROR "${root} is a core library and must not link ${_name} (${chain} -> ${_name})")
        endif()
        set(_name ${_aliased})
      endif()
      _ambrel_check_closure(${root} ${_name} "${chain} -> ${_name}")
    endif()
  endforeach()
endfunction()

function(ambrel_check_core_libraries)
  get_property(_cores GLOBAL PROPERTY AMBREL_CORE_LIBRARIES)
  foreach(_core IN LISTS _cores)
    _ambrel_check_closure(${_core} ${_core} ${_core})
  endforeach()
endfunction()

# Runs after every add_subdirectory() of the top-level CMakeLists.txt.
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL ambrel_check_core_libraries)
