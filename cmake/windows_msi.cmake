# The Windows installer, built on Debian with wixl and msibuild (msitools)
# from packaging/windows:
#   ninja -C build/win64 harrow_msi    # build/win64/harrow-VERSION-x64.msi
# (harrow-VERSION-x86.msi in the 32-bit build).
find_program(HARROW_WIXL wixl)
find_program(HARROW_MSIBUILD msibuild)
if(NOT HARROW_WIXL OR NOT HARROW_MSIBUILD)
  message(STATUS "wixl or msibuild not found: no harrow_msi target (Debian's wixl and msitools have them)")
  return()
endif()

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(HARROW_MSI_ARCH x64)
else()
  set(HARROW_MSI_ARCH x86)
endif()
set(HARROW_MSI ${PROJECT_BINARY_DIR}/harrow-${PROJECT_VERSION}-${HARROW_MSI_ARCH}.msi)
# The files as the installer takes them, by name, from one folder.
set(HARROW_MSI_STAGE ${PROJECT_BINARY_DIR}/msi)
set(HARROW_MSI_SOURCES ${PROJECT_SOURCE_DIR}/packaging/windows/harrow.wxs
  ${PROJECT_SOURCE_DIR}/packaging/windows/make_msi.sh)
add_custom_command(OUTPUT ${HARROW_MSI}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${HARROW_MSI_STAGE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${HARROW_MSI_STAGE}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:harrow> $<TARGET_FILE:harrow-capture>
          ${PROJECT_BINARY_DIR}/app/win32/harrow.ico ${HARROW_WINDOWS_README} ${HARROW_MSI_STAGE}
  COMMAND ${CMAKE_STRIP} ${HARROW_MSI_STAGE}/harrow.exe ${HARROW_MSI_STAGE}/harrow-capture.exe
  COMMAND sh ${PROJECT_SOURCE_DIR}/packaging/windows/make_msi.sh ${HARROW_MSI_STAGE} ${PROJECT_VERSION}
          ${HARROW_MSI_ARCH} ${HARROW_MSI}
  DEPENDS harrow harrow-capture harrow_icon ${HARROW_WINDOWS_README} ${HARROW_MSI_SOURCES}
  COMMENT "Building the installer ${HARROW_MSI}"
  VERBATIM)
add_custom_target(harrow_msi DEPENDS ${HARROW_MSI})
