# `make package`: a Debian package of the installed files (see the Makefile,
# which configures a build for /usr first). Library dependencies come from
# dpkg-shlibdeps; what is loaded at run time without being linked is named.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillory)
set(CPACK_PACKAGE_VENDOR "The Quillory developers")
set(CPACK_PACKAGE_CONTACT "The Quillory developers <developers@quillory.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "talking desktop calendar that announces appointments")
set(CPACK_PACKAGE_DESCRIPTION_FILE ${CMAKE_SOURCE_DIR}/cmake/package-description.txt)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.quillory.org/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The X11 platform plugin, espeak-ng, the Flite voices, libcrypto and
# the recogniser's model are loaded when first needed, not linked.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libespeak-ng1, libflite1, libssl3")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pocketsphinx-en-us, qt6-image-formats-plugins")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "dunst | notification-daemon")

# What Debian asks of every package: its copyright and a compressed changelog.
set(doc ${CMAKE_INSTALL_DATADIR}/doc/quillory)
install(FILES ${CMAKE_SOURCE_DIR}/cmake/copyright DESTINATION ${doc})
string(TIMESTAMP changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE ${CMAKE_BINARY_DIR}/generated/changelog
  "quillory (${PROJECT_VERSION}) stable; urgency=medium\n\n"
  "  * Release ${PROJECT_VERSION}.\n\n"
  " -- ${CPACK_PACKAGE_CONTACT}  ${changelog_date}\n")
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/generated/changelog.gz
  COMMAND gzip -9nc ${CMAKE_BINARY_DIR}/generated/changelog > ${CMAKE_BINARY_DIR}/generated/changelog.gz
  DEPENDS ${CMAKE_BINARY_DIR}/generated/changelog)
add_custom_target(package_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/generated/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/generated/changelog.gz DESTINATION ${doc})

include(CPack)
