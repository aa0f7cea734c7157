<?xml version="1.0" encoding="UTF-8"?>
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:import href="catalogue.xsl"/>
  <xsl:param name="cat" select="''"/>
  <xsl:param name="subcat" select="''"/>
  <xsl:variable name="components"
      select="/components/component[categories/category[primaryCategory = $cat and secondaryCategory = $subcat]]"/>

  <xsl:template match="/">
    <xsl:call-template name="layout">
      <xsl:with-param name="title" select="$subcat"/>
      <xsl:with-param name="section" select="'Local'"/>
      <xsl:with-param name="lead" select="concat($cat, ' › ', $subcat, ': ', count($components), ' catalogued components.')"/>
    </xsl:call-template>
  </xsl:template>

  <xsl:template match="/" mode="content">
    <xsl:choose>
      <xsl:when test="$components">
        <xsl:call-template name="component-table">
          <xsl:with-param name="components" select="$components"/>
          <xsl:with-param name="link-prefix" select="'/xql.dll/components/vendors/components.bnd?xslsheet=components:/vendors/xsl/rm/component-overview.xsl&amp;xmlpage=components/vendors/components.bnd&amp;scid='"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:when test="$cat = 'Unidentified archives'">
        <p class="notice">Archives found on this machine whose classes the catalogue does not know; the tree lists
          them, each with a page of what is known of it.</p>
      </xsl:when>
      <xsl:otherwise><p class="notice">The catalogue lists no component under this subcategory.</p></xsl:otherwise>
    </xsl:choose>
  </xsl:template>
</xsl:stylesheet>
