#pragma once
// The PLU of the record format's worked example: 12, "Bread,white", one
// barcode 501, price 1.5, VAT group 2, unit BUC, department 1, group 3, pay
// type 3, only "Single sale" set.

#include "core/device/EcrRecords.h"

inline TECR_PLU SamplePlu()
{
    TECR_PLU p;
    p.Number = 12;
    p.Name = "Bread,white";
    p.Barcode = "501";
    p.Price = 1.5;
    p.TaxGroup = 2;
    p.Unit = "BUC";
    p.SubGroup = 1;
    p.Group = 3;
    p.PayType = 3;
    p.Flags[5] = true;
    return p;
}
