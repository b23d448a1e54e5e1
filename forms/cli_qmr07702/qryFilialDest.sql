Select
   CDFILIAL,
   NMFILIAL
From
   FILIAL
Where
   (CDFILIAL <> :P_CDFILIAL)
Order by
   CDFILIAL
