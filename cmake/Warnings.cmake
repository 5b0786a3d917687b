# Our own code builds clean with these; Qt and GoogleTest come in as system includes.
function(ambrel_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion)
endfunction()

# Core libraries must never pull in the widget or GUI layers.
function(ambrel_core_library target)
  ambrel_warnings(${target})
  get_target_property(_libs ${target} LINK_LIBRARIES)
  foreach(_l IN LISTS _libs)
    if(_l MATCHES "Qt6?::(Widgets|Gui|PrintSupport)")
      message(FATAL_ERROR "${target} is a core library and must not link ${_l}")
    endif()
  endforeach()
endfunction()
