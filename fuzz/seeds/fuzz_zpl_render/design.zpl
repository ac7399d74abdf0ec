^XA
^CF0,40
^FO30,30^FD<Item Name>^FS
^CF0,25
^FO30,80^FD<Item Mod[1]>^FS
^FO30,110^FD<Item Mod[2]>^FS
^FO30,140^FD<Item Mod[3]>^FS
^FO30,200^FD<Reference> - <Label Header (Parsed)>^FS
^FO30,230^FD<Order Time (Parsed)>  <Employee>^FS
^XZ
