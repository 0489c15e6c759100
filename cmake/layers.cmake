# The folders' layers, and the include roots through which a library sees only the folders it
# links. The root CMakeLists.txt says why; these are the three pieces it uses.

# layer_order(<layer>...): the layers, top to bottom. A layer is one folder, or several
# side by side separated by blanks ("probe package"). A folder may use its own folder and the
# folders of the layers below its own, never one of its own layer or above.
function(layer_order)
  set(rank 0)
  foreach(layer IN LISTS ARGN)
    string(REPLACE " " ";" folders "${layer}")
    foreach(folder IN LISTS folders)
      set_property(GLOBAL PROPERTY LAYER_RANK_${folder} ${rank})
      set_property(GLOBAL APPEND PROPERTY LAYER_FOLDERS ${folder})
    endforeach()
    math(EXPR rank "${rank} + 1")
  endforeach()
endfunction()

# folder_headers(<target> <folder>...): gives <target> an include root of its own,
# <build>/include_roots/<target>/, holding a link to each header (and resource script)
# directly in each <folder> (a path from the source root), at its source path: "probe/os_probe.h"
# is <root>/probe/os_probe.h. Subfolders are not taken: platform/'s seam does not bring
# platform/sim/ or platform/win32/. A library passes its root on to whoever links it; an
# executable keeps it. A target whose first folder is in a layer is checked by check_layers().
function(folder_headers target)
  set(root "${CMAKE_BINARY_DIR}/include_roots/${target}")
  # Made anew at every configure, so a header moved or removed leaves no link behind.
  file(REMOVE_RECURSE "${root}")
  foreach(folder IN LISTS ARGN)
    file(GLOB headers CONFIGURE_DEPENDS RELATIVE "${CMAKE_SOURCE_DIR}"
         "${CMAKE_SOURCE_DIR}/${folder}/*.h" "${CMAKE_SOURCE_DIR}/${folder}/*.rc")
    if(NOT headers)
      message(FATAL_ERROR "folder_headers(${target}): ${folder}/ holds no header")
    endif()
    file(MAKE_DIRECTORY "${root}/${folder}")
    foreach(header IN LISTS headers)
      file(CREATE_LINK "${CMAKE_SOURCE_DIR}/${header}" "${root}/${header}" SYMBOLIC)
    endforeach()
  endforeach()

  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    set(scope INTERFACE)
  elseif(type STREQUAL "EXECUTABLE")
    set(scope PRIVATE)
  else()
    set(scope PUBLIC)
  endif()
  target_include_directories(${target} ${scope} "${root}")

  list(GET ARGN 0 first)
  string(REGEX REPLACE "/.*" "" folder "${first}")
  get_property(rank GLOBAL PROPERTY LAYER_RANK_${folder})
  if(NOT "${rank}" STREQUAL "")
    set_property(GLOBAL PROPERTY LAYER_FOLDER_${target} ${folder})
    set_property(GLOBAL APPEND PROPERTY LAYER_TARGETS ${target})
  endif()
endfunction()

# check_layers(): run once every folder has been added. Stops the configuration when a
# layer's target links a target of its own layer's other folder or of a layer above, or when
# its include path reaches into the source tree past the include roots.
function(check_layers)
  get_property(targets GLOBAL PROPERTY LAYER_TARGETS)
  foreach(target IN LISTS targets)
    get_property(folder GLOBAL PROPERTY LAYER_FOLDER_${target})
    get_property(rank GLOBAL PROPERTY LAYER_RANK_${folder})

    get_target_property(type ${target} TYPE)
    set(links "")
    set(include_dirs "")
    foreach(property INTERFACE_LINK_LIBRARIES LINK_LIBRARIES INTERFACE_INCLUDE_DIRECTORIES INCLUDE_DIRECTORIES)
      # An interface library holds only the INTERFACE_ properties.
      if(type STREQUAL "INTERFACE_LIBRARY" AND NOT property MATCHES "^INTERFACE_")
        continue()
      endif()
      get_target_property(values ${target} ${property})
      if(NOT values)
        continue()
      endif()
      if(property MATCHES "LINK_LIBRARIES")
        list(APPEND links ${values})
      else()
        list(APPEND include_dirs ${values})
      endif()
    endforeach()

    foreach(link IN LISTS links)
      # A static library's private links come back as $<LINK_ONLY:name>.
      string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" used "${link}")
      get_property(used_folder GLOBAL PROPERTY LAYER_FOLDER_${used})
      if("${used_folder}" STREQUAL "" OR used_folder STREQUAL folder)
        continue()
      endif()
      get_property(used_rank GLOBAL PROPERTY LAYER_RANK_${used_folder})
      if(NOT used_rank GREATER rank)
        message(FATAL_ERROR "${target} (${folder}/) links ${used} (${used_folder}/): "
                            "a folder uses only the folders of the layers below its own")
      endif()
    endforeach()

    foreach(dir IN LISTS include_dirs)
      string(FIND "${dir}/" "${CMAKE_SOURCE_DIR}/" in_sources)
      string(FIND "${dir}/" "${CMAKE_BINARY_DIR}/" in_build)
      if(in_sources EQUAL 0 AND NOT in_build EQUAL 0)
        message(FATAL_ERROR "${target} (${folder}/) has the include directory ${dir}: "
                            "a folder's headers reach its users through its include root only")
      endif()
    endforeach()
  endforeach()
endfunction()
