# make deb: a Debian package of what the install rules lay out, its Depends
# computed from the programs' libraries by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velarion)
set(CPACK_PACKAGE_VENDOR "The Velarion authors")
set(CPACK_PACKAGE_CONTACT "The Velarion authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "simulator of a column of fluid in a pipe")
set(CPACK_PACKAGE_DESCRIPTION
    "Velarion cuts a column of fluid into equal segments, sets it moving with an\n\
initial velocity against a counter pressure and computes the position of every\n\
segment at every time step. The parameters are typed into one window;\n\
velarion-batch runs the same simulation from the command line, and\n\
velarion-sweep runs a parameter sweep with GNU parallel.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Not seen by dpkg-shlibdeps: velarion-sweep runs GNU parallel, and the
# window's Windows fonts are stood in for by Liberation.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "parallel")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation")
# The Python module is built for Debian's python3 of this release and reads
# and returns xarray Datasets; the programs run without them.
if(TARGET _velarion)
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", ${VELARION_PYTHON_DEPENDS}")
  string(APPEND CPACK_DEBIAN_PACKAGE_RECOMMENDS
         ", python3-xarray, python3-netcdf4, python3-tqdm")
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
