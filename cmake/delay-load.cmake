# Windows libraries the program needs only after start-up (updates, printing, signatures) are
# loaded at their first call rather than by the loader: under Wine each one, with what it pulls
# in, adds milliseconds to every start. The delay-import library lists every export of the
# ordinary import library, so any function of it can be called as usual.
function(wrenfold_delay_loaded_library out_target dll)
  set(target wrenfold_delay_${dll})
  if(NOT TARGET ${target})
    find_library(import_library_${dll} NAMES ${dll} REQUIRED)
    set(delay_library ${CMAKE_BINARY_DIR}/delay-load/lib${dll}_delay.a)
    add_custom_command(
      OUTPUT ${delay_library}
      COMMAND ${PROJECT_SOURCE_DIR}/scripts/make-delay-library ${CMAKE_NM} ${CMAKE_DLLTOOL}
              ${import_library_${dll}} ${dll}.dll ${delay_library}
      DEPENDS ${PROJECT_SOURCE_DIR}/scripts/make-delay-library ${import_library_${dll}}
      COMMENT "Making the delay-import library of ${dll}.dll")
    add_custom_target(${target}_file DEPENDS ${delay_library})
    add_library(${target} INTERFACE)
    add_dependencies(${target} ${target}_file)
    target_link_libraries(${target} INTERFACE ${delay_library} delayimp)
  endif()
  set(${out_target} ${target} PARENT_SCOPE)
endfunction()
