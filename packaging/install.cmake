# make install and make uninstall:
#
#   cmake -D BUILD=build -D PREFIX=/usr/local -D ACTION=install -P packaging/install.cmake
#   cmake -D BUILD=build -D PREFIX=/usr/local -D ACTION=uninstall -P packaging/install.cmake
#
# install runs `cmake --install --strip` and keeps a record, in the build folder, of
# every file and link it installed and of every folder it had to make: the
# install is first run into a staging folder, whose folders are compared
# with what exists under PREFIX beforehand. uninstall removes exactly the
# recorded files and links, then those of the recorded folders that are
# left empty. It never removes PREFIX itself, nor a folder that existed
# before the install. DESTDIR is honoured by both.
cmake_minimum_required(VERSION 3.25)

foreach(var BUILD PREFIX ACTION)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "install.cmake: -D ${var}=... is required")
  endif()
endforeach()

get_filename_component(BUILD "${BUILD}" ABSOLUTE)
get_filename_component(PREFIX "${PREFIX}" ABSOLUTE)
set(root "$ENV{DESTDIR}${PREFIX}")
string(MD5 key "${root}")
set(record "${BUILD}/installed/${key}.txt")

# Reads a record into `files` and `folders`, keeping only what still exists.
function(read_record)
  set(files)
  set(folders)
  if(EXISTS "${record}")
    file(STRINGS "${record}" lines)
    foreach(line IN LISTS lines)
      if(line MATCHES "^(file|folder) (.*)$")
        set(kind "${CMAKE_MATCH_1}")
        set(path "${CMAKE_MATCH_2}")
        if(kind STREQUAL "file" AND (EXISTS "${path}" OR IS_SYMLINK "${path}"))
          list(APPEND files "${path}")
        elseif(kind STREQUAL "folder" AND IS_DIRECTORY "${path}")
          list(APPEND folders "${path}")
        endif()
      endif()
    endforeach()
  endif()
  set(files "${files}" PARENT_SCOPE)
  set(folders "${folders}" PARENT_SCOPE)
endfunction()

if(ACTION STREQUAL "install")
  # What the install makes, without making it.
  set(stage "${BUILD}/install-stage")
  file(REMOVE_RECURSE "${stage}")
  execute_process(COMMAND ${CMAKE_COMMAND} -E env "DESTDIR=${stage}"
                          ${CMAKE_COMMAND} --install "${BUILD}" --prefix "${PREFIX}" --strip
                  OUTPUT_QUIET RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "install: cmake --install into ${stage} failed")
  endif()
  file(GLOB_RECURSE entries LIST_DIRECTORIES true RELATIVE "${stage}${PREFIX}" "${stage}${PREFIX}/*")
  read_record()  # what an earlier install into the same place made
  set(replaced)
  foreach(entry IN LISTS entries)
    set(staged "${stage}${PREFIX}/${entry}")
    set(path "${root}/${entry}")
    if(IS_DIRECTORY "${staged}" AND NOT IS_SYMLINK "${staged}")
      if(NOT EXISTS "${path}" AND NOT IS_SYMLINK "${path}")
        list(APPEND folders "${path}")
      endif()
    elseif(IS_SYMLINK "${staged}" AND IS_DIRECTORY "${path}" AND NOT IS_SYMLINK "${path}")
      # A folder that an earlier install made and this one makes a link to
      # a folder (lib/zorvik/instruments, now a link to the banks in
      # DATADIR). A file in it whose name the link's folder also gets is an
      # earlier install's and goes with the folder; any other is someone's
      # own, and the install stops before it changes anything.
      file(READ_SYMLINK "${staged}" target)
      get_filename_component(parent "${staged}" DIRECTORY)
      get_filename_component(target "${target}" ABSOLUTE BASE_DIR "${parent}")
      string(REPLACE "${stage}${PREFIX}" "${root}" moved "${target}")
      file(GLOB held LIST_DIRECTORIES true RELATIVE "${path}" "${path}/*" "${path}/.*")
      foreach(name IN LISTS held)
        if(IS_DIRECTORY "${path}/${name}" OR NOT EXISTS "${target}/${name}")
          file(REMOVE_RECURSE "${stage}")
          message(FATAL_ERROR "install: ${path}/${name} is not from an earlier install: move it "
                              "to ${moved}/, remove ${path}/, then run make install again")
        endif()
      endforeach()
      list(APPEND replaced "${path}")
    endif()
  endforeach()
  file(REMOVE_RECURSE "${stage}")

  # The earlier install's folders that become links go, with what the
  # record says of them.
  foreach(path IN LISTS replaced)
    file(REMOVE_RECURSE "${path}")
    foreach(kind files folders)
      set(kept)
      foreach(item IN LISTS ${kind})
        string(FIND "${item}/" "${path}/" at)
        if(NOT at EQUAL 0)
          list(APPEND kept "${item}")
        endif()
      endforeach()
      set(${kind} "${kept}")
    endforeach()
  endforeach()

  execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD}" --prefix "${PREFIX}" --strip
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "install: cmake --install failed")
  endif()

  # The manifest of this install and what an earlier install left.
  file(STRINGS "${BUILD}/install_manifest.txt" manifest)
  list(APPEND files ${manifest})
  list(REMOVE_DUPLICATES files)
  list(REMOVE_DUPLICATES folders)
  set(text "prefix ${root}\n")
  foreach(path IN LISTS files)
    string(APPEND text "file ${path}\n")
  endforeach()
  foreach(path IN LISTS folders)
    string(APPEND text "folder ${path}\n")
  endforeach()
  file(WRITE "${record}" "${text}")
  set(again "PREFIX=${PREFIX}")
  if(NOT "$ENV{DESTDIR}" STREQUAL "")
    string(PREPEND again "DESTDIR=$ENV{DESTDIR} ")
  endif()
  message(STATUS "Installed into ${root}: 'make uninstall ${again}' removes it")

elseif(ACTION STREQUAL "uninstall")
  if(NOT EXISTS "${record}")
    message(FATAL_ERROR "uninstall: this build has installed nothing into ${root}")
  endif()
  read_record()
  foreach(path IN LISTS files)
    message(STATUS "Removing: ${path}")
    file(REMOVE "${path}")
  endforeach()
  # Deepest first: a folder sorts after every folder it holds.
  list(SORT folders ORDER DESCENDING)
  foreach(path IN LISTS folders)
    # rmdir removes a folder only when it is empty: one that holds files
    # that were not installed stays.
    execute_process(COMMAND rmdir "${path}" RESULT_VARIABLE status ERROR_QUIET)
    if(status EQUAL 0)
      message(STATUS "Removing: ${path}/")
    else()
      message(STATUS "Keeping: ${path}/ (not empty)")
    endif()
  endforeach()
  file(REMOVE "${record}")

else()
  message(FATAL_ERROR "install.cmake: ACTION is install or uninstall, not '${ACTION}'")
endif()
