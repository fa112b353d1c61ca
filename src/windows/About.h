#pragma once
// The about window: the product's name and version and the link to the
// maker's web site; and the opening of the program's help file.
#include <string>

#include "platform/Types.h"
#include "ui/Controls.h"

class TFormAbout : public ui::TForm {
 public:
  TFormAbout();

  ui::TLabel Label1{this, "Label1"};
  ui::TSpeedButton SpeedButton1{this, "SpeedButton1"};
  ui::TPanel Panel1{this, "Panel1", plat::Bevel::LoweredOuter};
  ui::TLabel LabelURL{&Panel1, "LabelURL"};

  void FormCreate();
  void ApplyLanguage();
  void SpeedButton1Click();
  void LabelURLClick();
};

extern TFormAbout* FormAbout;

// The address the link opens: the site, "/index.htm?" and the version text,
// every blank written as "%20".
std::string AboutLinkAddress(const std::string& site, const std::string& version);

// Hands the program's help file (its own path with ".chm") to the shell,
// which opens it in its viewer or says why it cannot.
void OpenHelp(plat::Handle owner);
