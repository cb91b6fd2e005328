# The version resource both images carry, from the one project version, and
# the two strings that belong to the vendor who ships the DLL:
#   cmake --preset win32 -DQUILLREC_COMPANY_NAME="..." -DQUILLREC_LEGAL_COPYRIGHT="..."
# The shipped image's resource section has room for 110 characters of the two
# together; longer ones add 512 bytes, past the image check's size rule.
enable_language(RC)
set(QUILLREC_COMPANY_NAME "" CACHE STRING "CompanyName in the version resource of both images")
set(QUILLREC_LEGAL_COPYRIGHT "" CACHE STRING "LegalCopyright in the version resource of both images")

# A resource script's string: a quote is written twice, a backslash escaped.
function(quillrec_rc_string out value)
  string(REPLACE "\\" "\\\\" value "${value}")
  string(REPLACE "\"" "\"\"" value "${value}")
  set(${out} "${value}" PARENT_SCOPE)
endfunction()

# quillrec_version_resource(TARGET DESCRIPTION [SPECIAL_BUILD]):
# the resource script made for TARGET and compiled into it; the PE header's
# image version says major.minor too. A special build sets VS_FF_SPECIALBUILD
# and says what is special about it.
function(quillrec_version_resource target description)
  quillrec_rc_string(rc_company "${QUILLREC_COMPANY_NAME}")
  quillrec_rc_string(rc_copyright "${QUILLREC_LEGAL_COPYRIGHT}")
  quillrec_rc_string(rc_description "${description}")
  set(rc_flags 0)
  set(rc_special_build "")
  if(ARGC GREATER 2)
    quillrec_rc_string(special "${ARGV2}")
    set(rc_flags VS_FF_SPECIALBUILD)
    set(rc_special_build "            VALUE \"SpecialBuild\",     \"${special}\"")
  endif()
  set(script ${CMAKE_BINARY_DIR}/version/${target}.rc)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/version.rc.in ${script} @ONLY)
  target_sources(${target} PRIVATE ${script})
  set_target_properties(${target} PROPERTIES VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR})
endfunction()
