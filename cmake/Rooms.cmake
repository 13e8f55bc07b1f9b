# nsf_room_headers(TARGET ROOM)
# Gives TARGET, and whoever links it, the headers of one room (a folder below the source root,
# such as "common/notes") under their usual name "common/notes/Header.h", and nothing else of
# the tree. Each target's include root is a folder of its own in the build tree holding a link
# to its room, so a room that includes a header of a room it does not link fails to compile.
function(nsf_room_headers target room)
  set(root ${CMAKE_BINARY_DIR}/rooms/${target})
  set(link ${root}/${room})
  get_filename_component(parent ${link} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  if(NOT IS_SYMLINK ${link})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${room} ${link} SYMBOLIC)
  endif()
  target_include_directories(${target} PUBLIC ${root})
endfunction()
