-- A pandoc filter for the plain-text guide (README.txt, read in Notepad):
-- the title and the sections underlined, the sections and their parts
-- numbered ("3", "3.2"), and a table of contents before the first section.
local function width(text)
  -- Columns in a monospaced font: CJK characters and full-width marks take two.
  local n = 0
  for _, c in utf8.codes(text) do
    n = n + ((c >= 0x1100 and c ~= 0x00B7) and 2 or 1)
  end
  return n
end

local function underlined(text, mark)
  return pandoc.Plain({pandoc.Str(text), pandoc.LineBreak(), pandoc.Str(string.rep(mark, width(text)))})
end

function Pandoc(doc)
  local blocks, contents, first = {}, {}, nil
  local section, part = 0, 0
  for _, block in ipairs(doc.blocks) do
    if block.t == "Header" and block.level <= 3 then
      local text = pandoc.utils.stringify(block.content)
      if block.level == 1 then
        table.insert(blocks, underlined(text, "="))
      else
        if block.level == 2 then
          section, part = section + 1, 0
          text = section .. " " .. text
        else
          part = part + 1
          text = section .. "." .. part .. " " .. text
        end
        first = first or #blocks + 1
        if #contents > 0 then table.insert(contents, pandoc.LineBreak()) end
        table.insert(contents, pandoc.Str(string.rep("  ", block.level - 2) .. text))
        table.insert(blocks, underlined(text, block.level == 2 and "=" or "-"))
      end
    else
      table.insert(blocks, block)
    end
  end
  if first then
    table.insert(blocks, first, pandoc.Plain(contents))
  end
  return pandoc.Pandoc(blocks, doc.meta)
end
