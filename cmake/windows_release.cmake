# What a Windows release consists of, beyond the programs themselves:
#  - a version resource in every shipped program (windres), from MERV_VERSION;
#  - release copies of the programs, stripped, their symbols kept apart in
#    symbols/*.debug (linked by .gnu_debuglink, so a debugger finds them);
#  - the UTF-8 manifest in every program;
#  - the zip (cpack) and the MSI (wixl) made of the release copies.
# Included by the top CMakeLists.txt in a Windows build.

enable_language(RC)

# 3.04.05 -> 3,4,5,0 for the resources' numeric version. The MSI keeps the
# text 3.04.05, which Programs and Features shows as the programs say it
# (Windows Installer compares it field by field as numbers).
string(REPLACE "." ";" merv_version_parts "${MERV_VERSION}")
set(merv_version_numbers)
foreach(part IN LISTS merv_version_parts)
  math(EXPR number "${part}")
  list(APPEND merv_version_numbers ${number})
endforeach()
list(APPEND merv_version_numbers 0)
list(JOIN merv_version_numbers "," MERV_VERSION_COMMAS)

set(MERV_RELEASE_DIR ${CMAKE_BINARY_DIR}/release)
set(MERV_ICON ${CMAKE_SOURCE_DIR}/resources/mervmodul.ico)
# The service SID of NT SERVICE\MervModul-line1, the first line's virtual
# account: S-1-5-80- and the SHA-1 of the upper-case service name in UTF-16LE
# as five little-endian words (scripts/test_windows.sh computes it again).
set(MERV_LINE1_SERVICE_SID S-1-5-80-439307163-3830727935-120947096-3399022531-3238341224)
# The same for NT SERVICE\MervModul-http, mervd's account.
set(MERV_HTTP_SERVICE_SID S-1-5-80-4168700550-3190497568-2987995751-772978227-3744839087)
set(MERV_SYMBOLS_DIR ${CMAKE_BINARY_DIR}/symbols)
set(MERV_RELEASE_PROGRAMS)

# Gives every program of the build (tests too, which open files with names
# in any language) the manifest that makes UTF-8 its code page.
function(merv_utf8_manifest_everywhere)
  set(rc ${CMAKE_BINARY_DIR}/generated/utf8_manifest.rc)
  file(CONFIGURE OUTPUT ${rc} CONTENT "1 24 \"${CMAKE_SOURCE_DIR}/cmake/utf8.manifest\"\n")
  # The targets of the top folder and of every folder below it.
  set(targets)
  set(folders ${CMAKE_SOURCE_DIR})
  while(folders)
    list(POP_FRONT folders folder)
    get_property(here DIRECTORY ${folder} PROPERTY BUILDSYSTEM_TARGETS)
    get_property(below DIRECTORY ${folder} PROPERTY SUBDIRECTORIES)
    list(APPEND targets ${here})
    list(APPEND folders ${below})
  endwhile()
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
      target_sources(${target} PRIVATE ${rc})
    endif()
  endforeach()
endfunction()

# Gives `target` its version resource with the file description given.
function(merv_version_resource target description)
  set(MERV_RC_NAME ${target})
  set(MERV_RC_DESCRIPTION "${description}")
  set(rc ${CMAKE_BINARY_DIR}/generated/${target}.rc)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()

# A shipped program: its version resource, and its stripped release copy.
function(merv_release_program target description)
  merv_version_resource(${target} "${description}")
  set(released ${MERV_RELEASE_DIR}/${target}.exe)
  set(symbols ${MERV_SYMBOLS_DIR}/${target}.exe.debug)
  add_custom_command(
    OUTPUT ${released} ${symbols}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${MERV_RELEASE_DIR} ${MERV_SYMBOLS_DIR}
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}> ${symbols}
    COMMAND ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=${symbols} $<TARGET_FILE:${target}> ${released}
    DEPENDS ${target}
    COMMENT "Stripping ${target}.exe, its symbols into symbols/"
    VERBATIM)
  set(MERV_RELEASE_PROGRAMS ${MERV_RELEASE_PROGRAMS} ${released} PARENT_SCOPE)
endfunction()

# The licence text shipped with the programs: the module's own, then those of
# the libraries inside or beside them.
function(merv_licence_text output)
  set(text "MERV Modul\r\n==========\r\n\r\n")
  file(READ ${CMAKE_SOURCE_DIR}/LICENSE own)
  string(APPEND text "${own}\r\n")
  if(MERV_HPDF_NOTICE)
    file(READ ${MERV_HPDF_NOTICE} notice)
    string(APPEND text "\r\n${notice}")
  endif()
  # mervd.exe holds cpp-httplib and nlohmann-json, both under the MIT licence.
  if(TARGET mervd)
    file(READ ${MERV_HTTPLIB_INCLUDE_DIR}/LICENSE httplib_licence)
    string(APPEND text "\r\ncpp-httplib (in mervd.exe)\r\n--------------------------\r\n${httplib_licence}")
    file(READ ${MERV_NLOHMANN_DIR}/../../share/doc/nlohmann-json3-dev/copyright nlohmann_licence)
    string(APPEND text "\r\nnlohmann-json (in mervd.exe and mervmodul.exe)\r\n----------------------------------------------\r\n${nlohmann_licence}")
  endif()
  string(REGEX REPLACE "\r?\n" "\r\n" text "${text}")
  file(WRITE ${output} "${text}")
endfunction()

# Called once every program is defined: the zip and the MSI.
function(merv_windows_packages)
  set(licence ${CMAKE_BINARY_DIR}/licence.txt)
  merv_licence_text(${licence})
  add_custom_target(merv_release ALL DEPENDS ${MERV_RELEASE_PROGRAMS})

  # The zip: the programs but the service host (which the MSI installs), the texts.
  set(zip_programs ${MERV_RELEASE_PROGRAMS})
  get_filename_component(MERV_RELEASE_DIR_NAME ${MERV_RELEASE_DIR} NAME)
  list(FILTER zip_programs EXCLUDE REGEX "/mervsvc\\.exe$")
  install(PROGRAMS ${zip_programs} DESTINATION .)
  install(FILES ${CMAKE_BINARY_DIR}/readme.txt ${licence} DESTINATION .)

  find_program(MERV_WIXL wixl)
  find_program(MERV_MSIBUILD msibuild)
  if(NOT MERV_WIXL OR NOT MERV_MSIBUILD)
    message(STATUS "wixl or msibuild not found (packages wixl, msitools): no MSI")
    return()
  endif()
  # wixl takes only paths relative to its working folder, the build folder.
  set(files)
  foreach(file IN LISTS zip_programs)
    get_filename_component(name ${file} NAME)
    file(RELATIVE_PATH source ${CMAKE_BINARY_DIR} ${file})
    string(APPEND files "            <File Id=\"${name}\" Name=\"${name}\" Source=\"${source}\"/>\n")
  endforeach()
  foreach(file readme.txt licence.txt)
    string(APPEND files "            <File Id=\"${file}\" Name=\"${file}\" Source=\"${file}\"/>\n")
  endforeach()
  string(REPLACE "<File Id=\"mervmodul.exe\"" "<File Id=\"mervmodul.exe\" KeyPath=\"yes\"" files "${files}")
  # mervd.exe is the key of the component of its service (below).
  string(REGEX REPLACE "            <File Id=\"mervd.exe\"[^\n]*\n" "" files "${files}")
  set(MERV_MSI_PROGRAM_FILES "${files}")
  configure_file(${MERV_ICON} ${CMAKE_BINARY_DIR}/mervmodul.ico COPYONLY)
  set(wxs ${CMAKE_BINARY_DIR}/mervmodul.wxs)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/mervmodul.wxs.in ${wxs} @ONLY)
  set(msi ${CMAKE_BINARY_DIR}/mervmodul-${MERV_VERSION}-win64.msi)
  add_custom_command(
    OUTPUT ${msi}
    COMMAND ${CMAKE_COMMAND} -DWIXL=${MERV_WIXL} -DMSIBUILD=${MERV_MSIBUILD} -DWXS=${wxs} -DMSI=${msi}
            -DLINE_SERVICE_SID=${MERV_LINE1_SERVICE_SID} -DHTTP_SERVICE_SID=${MERV_HTTP_SERVICE_SID}
            -P ${CMAKE_SOURCE_DIR}/cmake/make_msi.cmake
    DEPENDS ${wxs} ${MERV_RELEASE_PROGRAMS} ${licence} ${CMAKE_SOURCE_DIR}/cmake/make_msi.cmake ${MERV_ICON}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    COMMENT "Building the MSI with wixl"
    VERBATIM)
  add_custom_target(merv_msi ALL DEPENDS ${msi})
endfunction()
