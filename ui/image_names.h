// The names under which the fourteen images the program carries are registered, and the
// images in the order LoadIcons decodes and registers them.
#pragma once

namespace appcensus {

inline constexpr char16_t kImageApplication[] = u"ICO_Application";
inline constexpr char16_t kImageProductCode[] = u"ICO_CodeProduit";
inline constexpr char16_t kImageVersion[] = u"ICO_VersionApplication";
inline constexpr char16_t kImageDestination[] = u"ICO_DestinationApplication";
inline constexpr char16_t kImageInstallDate[] = u"ICO_DateInstallationApplication";
inline constexpr char16_t kImageSource[] = u"ICO_SourceApplication";
inline constexpr char16_t kImageUninstallCommand[] = u"ICO_CommandeDesinstallationApplication";
inline constexpr char16_t kImageRegistryPath[] = u"ICO_EmplacementBaseDeRegistre";
inline constexpr char16_t kImageMachine[] = u"ICO_NomMachineApplication";
inline constexpr char16_t kImageSearch[] = u"ICO_Rechercher";
inline constexpr char16_t kImageRequest[] = u"ICO_LancerActionMachine";
inline constexpr char16_t kImageDone[] = u"ICO_ActionTermine";
inline constexpr char16_t kImageInProgress[] = u"ICO_ActionEnCours";
inline constexpr char16_t kImageError[] = u"ICO_ActionErreur";

struct IconImage {
  const char16_t* name;
  int size;   // width and height in pixels
  bool grey;  // stored as grey with alpha instead of colour with alpha
};

inline constexpr IconImage kIcons[14] = {
    {kImageApplication, 16, false},      {kImageProductCode, 16, true},   {kImageVersion, 16, false},
    {kImageDestination, 16, false},      {kImageInstallDate, 16, false},  {kImageSource, 16, false},
    {kImageUninstallCommand, 16, false}, {kImageRegistryPath, 16, false}, {kImageMachine, 32, false},
    {kImageSearch, 32, false},           {kImageRequest, 32, false},      {kImageDone, 16, false},
    {kImageInProgress, 16, false},       {kImageError, 16, false},
};

}  // namespace appcensus
