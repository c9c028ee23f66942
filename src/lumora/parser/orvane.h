// The parser component: its published properties, the error list of the
// last validation and the characters that failed to convert.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "lumora/framework/component.h"
#include "lumora/io/errors_list.h"
#include "lumora/text/code_pages.h"

namespace lumora {

class TObject;

// Called with the node that names an external resource and the file or
// address that could not be found.
using TFileNotFoundEvent = std::function<void(TObject* Sender, const std::string& FileName)>;

class TKaOrvane : public TComponent {
 public:
  explicit TKaOrvane(TComponent* AOwner);
  ~TKaOrvane() override;

  bool GetStandardXML() const { return FStandardXML; }
  void SetStandardXML(bool value) { FStandardXML = value; }
  bool GetValidateDocument() const { return FValidateDocument; }
  void SetValidateDocument(bool value) { FValidateDocument = value; }
  const TFileNotFoundEvent& GetOnFileNotFound() const { return FOnFileNotFound; }
  void SetOnFileNotFound(TFileNotFoundEvent handler) { FOnFileNotFound = std::move(handler); }
  bool GetFormatedOutput() const { return FFormatedOutput; }
  void SetFormatedOutput(bool value) { FFormatedOutput = value; }
  bool GetRetrieveInternetURI() const { return FRetrieveInternetURI; }
  void SetRetrieveInternetURI(bool value) { FRetrieveInternetURI = value; }
  TEncoding GetDefaultEncoding() const { return FDefaultEncoding; }
  // n_sup is stored as US_ASCII.
  void SetDefEncoding(TEncoding value) { FDefaultEncoding = value == n_sup ? US_ASCII : value; }
  void SetDefaultEncoding(TEncoding value) { SetDefEncoding(value); }

  TKaErrorsList& GetErrors() { return *FErrors; }
  const TKaErrorsList& GetErrors() const { return *FErrors; }
  const std::u16string& GetInvalidChars() const { return FInvalidChars; }
  void SetInvalidChars(std::u16string chars) { FInvalidChars = std::move(chars); }

  // Where the analyzer is in the text it reads, for error reports.
  int GetLineNumber() const { return FLine; }
  const std::string& GetFileName() const { return FFileName; }

 protected:
  int FLine = 0;
  std::string FFileName;

 private:
  bool FStandardXML = false;
  bool FValidateDocument = false;
  TFileNotFoundEvent FOnFileNotFound;
  bool FFormatedOutput = true;
  TEncoding FDefaultEncoding = US_ASCII;
  bool FRetrieveInternetURI = true;
  std::unique_ptr<TKaErrorsList> FErrors;
  std::u16string FInvalidChars;
};

}  // namespace lumora
