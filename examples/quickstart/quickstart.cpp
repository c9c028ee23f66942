// Reads a product catalogue, lists its products, marks those out of stock,
// adds a note and writes the catalogue back as UTF-16.
//   quickstart examples/catalogue.xml catalogue-utf16.xml
#include <iostream>
#include <memory>

#include <lumora/lumora.h>

using namespace lumora;

// The text of the first child element named `name`, or "".
std::u16string ChildText(const TKaXMLElement& parent, std::u16string_view name) {
  for (TKaXMLElement* child = parent.GetFirstChild(); child; child = child->NextSibling())
    if (child->TagName() == name && child->HasCharData())
      return child->GetFirstCharData()->GetValue();
  return u"";
}

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: quickstart IN.xml OUT.xml\n";
    return 2;
  }

  // Parse. A parser with an owner reads documents without an encoding
  // declaration in its default encoding: UTF-8 here.
  TComponent owner(nullptr);
  TKaOrvane parser(&owner);
  parser.SetDefaultEncoding(UTF_8);
  std::unique_ptr<TKaXMLDocument> doc;
  try {
    parser.Parse(argv[1], doc);
  } catch (const EKaOrvaneError& e) {
    std::cerr << e.GetFileName() << ':' << e.GetLine() << ": error: " << e.Message() << '\n';
    return 1;
  } catch (const EFCreateError& e) {
    std::cerr << argv[1] << ": error: " << e.Message() << '\n';
    return 1;
  }

  // Walk the products and change the tree: names and values are UTF-16.
  TKaXMLElement* catalogue = doc->GetDocumentElement();
  for (TKaXMLElement* product = catalogue->GetFirstChild(); product;
       product = product->NextSibling()) {
    const std::u16string stock = product->GetAttribute(u"stock");
    std::cout << WideToSystem(product->GetAttribute(u"sku")) << "  "
              << WideToSystem(ChildText(*product, u"name")) << "  stock " << WideToSystem(stock)
              << '\n';
    if (stock == u"0") product->SetAttribute(u"available", u"no");
  }
  auto note = doc->CreateElement(u"note");
  note->SetCharData(doc->CreateTextNode(u"Prices include VAT & shipping within the EU."));
  catalogue->AppendChild(std::move(note));

  // Write: the declaration names the new encoding as well.
  doc->SetEncoding("UTF-16");
  doc->SetByteOrder(boLittleEndian);
  try {
    doc->WriteToFile(argv[2]);
  } catch (const Exception& e) {
    std::cerr << argv[2] << ": error: " << e.Message() << '\n';
    return 1;
  }
  std::cout << "written " << argv[2] << '\n';
  return 0;
}
